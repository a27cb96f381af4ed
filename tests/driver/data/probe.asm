;;; A patch that uses every part of the as10k1 patch format, for the reader's
;;; tests; probe.emu10k1 is what as10k1 (alsa-tools 1.2.5) makes of it:
;;;     as10k1 probe.asm
	name	"probe"
inl	IO
inr	IO
d1	dyn	2
s1	sta	$1234
c1	control	0.5,0,1
k1	con	$5555
nz	con	$100
tb	table	100
dl	delay	1000
dr	delay	&0.5
tw	twrite	tb,0
w1	twrite	dl,0
r1	tread	dl,500
w2	twrite	dr,0
r2	tread	dr,20000
r3	tread	dr,&0.1
	macs	inl,inl,c1,k1
	macs	w1,inr,s1,d1
	skip	$57,$57,nz,.lab
	macs	inr,r1,r2,r3
	acc3	d1+1,r1.a,w2.a,tw
.lab	macs	tw,$40,$56,$57
	end
